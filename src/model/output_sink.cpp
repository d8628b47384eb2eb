// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/output_sink.h"

namespace ambrel {

void StreamSink::emit_line(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stream_);
    std::fputc('\n', stream_);
}

} // namespace ambrel
