// Fuzz entry point of the design-time data file of a form. Any text must be read without fault; what
// is accepted must write out as text that reads back to the same controls and values, and writing
// that again must give the same bytes (the written form is canonical).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "forms/property_bag.h"

namespace {

bool SameData(const pap::forms::DesignData& a, const pap::forms::DesignData& b)
{
    if (a.controls.size() != b.controls.size())
        return false;
    for (size_t i = 0; i < a.controls.size(); ++i) {
        const auto& x = a.controls[i];
        const auto& y = b.controls[i];
        if (x.name != y.name || x.index != y.index || x.bag.entries().size() != y.bag.entries().size())
            return false;
        for (size_t j = 0; j < x.bag.entries().size(); ++j) {
            const auto& [xKey, xValue] = x.bag.entries()[j];
            const auto& [yKey, yValue] = y.bag.entries()[j];
            if (xKey != yKey || xValue != yValue)
                return false;
            // Byte arrays compare by their bytes; unresolved ones must keep their asset name.
            auto* xArray = std::get_if<pap::forms::ByteArray>(&xValue);
            auto* yArray = std::get_if<pap::forms::ByteArray>(&yValue);
            if (xArray != nullptr && yArray != nullptr && xArray->asset != yArray->asset)
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    pap::forms::DesignDataResult first = pap::forms::ParseDesignData(text);
    if (!first.data) {
        if (first.errorLine == 0 || first.error.empty())
            __builtin_trap();
        return 0;
    }
    std::string written = pap::forms::WriteDesignData(*first.data);
    pap::forms::DesignDataResult second = pap::forms::ParseDesignData(written);
    if (!second.data || !SameData(*first.data, *second.data))
        __builtin_trap();
    if (pap::forms::WriteDesignData(*second.data) != written)
        __builtin_trap();
    return 0;
}
