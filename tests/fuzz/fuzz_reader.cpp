// libFuzzer target: any bytes, split into lines, read as a description and listed back.
// The reader must neither crash nor loop, and the listing must stay readable.
#include "description/listing.h"
#include "description/reader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

class CheckingSink : public ambrel::OutputSink {
  protected:
    void emit_line(std::string_view line) override {
        if (line.size() > ambrel::LINE_LENGTH)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CheckingSink sink;
    static ambrel::Simulator sim(sink); // patterns persist across readings, as in the program
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto lines = ambrel::split_lines(text);
    ambrel::read_description(sim, lines);
    if (sim.sphere_count < 0 || sim.sphere_count > ambrel::MAX_SPHERES)
        std::abort();
    ambrel::list_updated_system(sim);
    return 0;
}
