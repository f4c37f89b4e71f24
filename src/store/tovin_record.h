#pragma once

#include "store/qv_object.h"

// One row of the installed-apps table "tovines"; its properties define that table's columns.
class TovinRecord : public QVObject {
 public:
  TovinRecord();
};
