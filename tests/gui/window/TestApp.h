#pragma once
// One application object for the whole test program, and small helpers.
#include "DlgKit.h"

namespace wintest {

using dlgkit::App;
using dlgkit::Pump;

}  // namespace wintest
