// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// ambrel-batch: runs a description without windows and prints every line that the window
// would append to its output panel.
#pragma once

#include "app/exit_status.h"
#include "model/status.h"
#include "model/stop_token.h"
#include "session/snapshot.h"
#include "view/camera.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace ambrel {

// Exit status (app/exit_status.h): DONE_STATUS; FAILED_STATUS the reader stopped on an error (or a
// later action failed); USAGE_STATUS a usage error or unreadable file; STOPPED_STATUS `stop` was
// requested (an interrupt): the command under way ended with its reports and the actions after it
// were not started.
// `pictures` draws the view and writes it for --bmp (`bitmap`) and --png: the program hands in one
// (app/batch_main.cpp, which creates the Qt application it needs); without one those actions fail
// with a message.
using PictureWriter = std::function<Status(const SceneSnapshot& snapshot, const Camera& camera,
                                           const std::string& path, bool bitmap)>;
int run_batch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
// `program` is the path of the ambrel-batch program, which --jobs starts as its workers; without it
// --jobs above 1 fails with a message.
int run_batch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, const StopToken& stop,
              const PictureWriter& pictures, const std::string& program = {});

std::string batch_usage();

} // namespace ambrel
