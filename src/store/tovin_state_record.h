#pragma once

#include "store/qv_object.h"

// One row of the installed-apps table "tovinstate": a named state value of one app.
class TovinStateRecord : public QVObject {
 public:
  TovinStateRecord();
};
