#pragma once

#include "store/objects/qv_object.h"

// One row of the installed-apps table "tovines"; its properties define that table's columns.
class TovinRecord : public QVObject {
 public:
  TovinRecord();
};

// One row of the installed-apps table "tovinstate": a named state value of one app.
class TovinStateRecord : public QVObject {
 public:
  TovinStateRecord();
};
