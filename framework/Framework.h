// The framework layer: the small set of window, dialog, GDI and module-state classes the library is
// written against.
#pragma once
#include "Dialog.h"
#include "Gdi.h"
#include "ListBox.h"
#include "ModuleState.h"
#include "Wnd.h"
