// The demo's scripted tour: a person's session with the host, played through real mouse input.
#pragma once
#include <string>

#include "HostWindow.h"

namespace demo {

// Plays the tour on host: each step does what a user would, saves a PNG of the host window in
// folder and prints what the host's own list told it. Returns 0 when every step saw what it
// expected and every picture was saved, 1 otherwise.
int RunTour(HostWindow& host, const std::string& folder);

}  // namespace demo
