// What the adversarial hosts share: counting the windows a thread owns, running work on a second
// thread while the GUI thread's loop turns, and the checks every scenario ends with (the host's
// list still works, the skin shows it, nothing left behind).
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace adversary {

// Every window this thread owns: top-level ones, their descendants, and message-only ones.
int CountThreadWindows();

// Runs this thread's loop until it owns `expected` windows, for at most half a second (the library
// lets go of itself on a thread of its own, through a window of the host's thread); the count then.
int SettleWindowCount(int expected);

// The window procedure as the window's own character set reads it.
LONG_PTR ProcOf(HWND hWnd);

// The library's panels directly inside hParent.
int PanelsIn(HWND hParent);

// Runs `work` on a new thread while this thread's message loop keeps turning; false when the work
// was not done within timeoutMs (the thread is then left to itself).
bool OnWorkerWhilePumping(std::function<void()> work, DWORD timeoutMs = 5000);

// Runs `work` on a new thread while this thread handles only the messages other threads send it
// (as a thread waiting for a worker must, so that the worker's calls on its windows return); false
// when the work was not done within timeoutMs.
bool OnWorkerLettingSentMessagesThrough(std::function<void()> work, DWORD timeoutMs = 5000);

// How the host's list fails to be a working, visible list box with window procedure `ownProc`
// (not checked when 0, else checked after the list's messages): it must take, find, select and
// remove an item. Empty when it works.
// The list is left as it was.
std::string HowTheListFails(HWND hList, LONG_PTR ownProc);

// How the mirror fails to show what the host's list holds (rows, texts, selection, caret,
// anchor, top row); empty when it shows it. Texts are compared for up to 400 rows: the first and
// the last 200 of a longer list.
std::string HowTheSkinDiffers(HWND hMirror, HWND hList);

}  // namespace adversary
