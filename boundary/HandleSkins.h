// What the auto-attach (AutoAttach.cpp) asks of the handle skins (Exports.cpp).
#pragma once
#ifndef KSLHOOK_API
#define KSLHOOK_API
#endif
#include "include/kslHook.h"

#include "framework/PlainArray.h"

// TRUE for a look kslSkinSetLook takes; otherwise FALSE, with ERROR_INVALID_PARAMETER.
bool IsLookAccepted(const KSLLOOK* pLook);
// Skins hList as kslSkinAttach does, as a skin of the auto-attach's, with `look`; hMaker is the
// window the list was made in, when known (a drop-down's combo box, found without a search). Null
// when the list is refused (or ended by the host's code meanwhile).
HKSLSKIN AttachAutomatically(HWND hList, HWND hMaker, const KSLLOOK& look);
// Adds the calling thread's live skins made by the auto-attach; FALSE when memory ran out.
bool AutomaticSkinsOfThisThread(CPlainArray<HKSLSKIN>* pSkins);
// The calling thread is ending: its auto-attach skins no more lists.
void EndThisThreadsAutoAttach();
