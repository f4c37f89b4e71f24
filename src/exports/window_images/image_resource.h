#pragma once

#include <memory>
#include <string>

class QVImage;

// Decodes the "IMAGE" resource `name` of the library's own module, in the process's language
// where the module has it in several. Null when there is no such resource or it does not
// decode. Loads are serialised across threads.
std::shared_ptr<QVImage> LoadImageResource(const wchar_t* name);
