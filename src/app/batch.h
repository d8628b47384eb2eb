// ambrel-batch: runs a description without windows and prints every line that the window
// would append to its output panel.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ambrel {

// Exit status: 0 done; 1 the reader stopped on an error (or a later action failed);
// 2 usage error or unreadable file.
int run_batch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

std::string batch_usage();

} // namespace ambrel
