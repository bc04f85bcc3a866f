// The kslHook demo host. Without arguments it is an ordinary interactive application; with
// --tour <folder> it plays a scripted session and leaves a picture of every step in folder.
#include <windows.h>

#include <cstring>
#include <string>

#include "HostWindow.h"
#include "Tour.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR commandLine, int) {
  const char* tour = std::strstr(commandLine, "--tour");
  demo::HostWindow host(hInstance, 40, 40);
  if (host.hWnd() == nullptr) return 2;
  host.SkinEveryList();

  if (tour != nullptr) {
    std::string folder = tour + std::strlen("--tour");
    folder.erase(0, folder.find_first_not_of(" \""));
    folder.erase(folder.find_last_not_of(" \"") + 1);
    return demo::RunTour(host, folder.empty() ? std::string("tour") : folder);
  }

  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageA(host.hWnd(), &msg)) continue;
    if (host.settings() != nullptr && ::IsDialogMessageA(host.settings(), &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}
