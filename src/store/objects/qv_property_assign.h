#pragma once

class QVProperty;
class QVVariant;

// Copies `incoming` into the property's value (and its default when `alsoDefault`), when the
// type codes are equal and known; otherwise changes nothing. A localizable wide text or list
// replaces the value with a localizable one that keeps the property's key. True when copied.
bool QVPropertyAssign(QVProperty& property, const QVVariant& incoming, bool alsoDefault);
