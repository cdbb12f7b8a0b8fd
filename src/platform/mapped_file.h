#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pap {

// A whole file mapped read-only into memory (CreateFileA, CreateFileMappingA, MapViewOfFile).
// An empty file cannot be mapped, as on Windows.
class MappedFile {
public:
    virtual ~MappedFile() = default;
    virtual const uint8_t* data() const = 0;
    virtual size_t size() const = 0;

    // Null when the file cannot be opened, mapped or viewed.
    static std::unique_ptr<MappedFile> open(const std::string& path);
};

}  // namespace pap
