#pragma once

// The platform's picture object for a picture file (an animated GIF's file), and the stream its own
// persistence writes: a header of kPictureStreamHeaderBytes ("lt", two zero bytes, the file's size in
// 32 bits, little-endian) followed by the bytes of the file the picture was loaded from.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace pap {

constexpr size_t kPictureStreamHeaderBytes = 8;

class PlatformPicture {
public:
    virtual ~PlatformPicture() = default;
    // The picture as its persistence writes it into a stream; empty when it could not be written.
    virtual std::vector<uint8_t> Save() const = 0;
};

// Loads the platform's picture object from a picture file; null when the platform cannot load it.
// Windows: an OLE picture (OleLoadPicture), saved through its IPersistStream. Linux: LoadFilePicture.
std::unique_ptr<PlatformPicture> LoadPlatformPicture(std::span<const uint8_t> file);

// A picture object that keeps the file's bytes and writes the stream above itself; null for no bytes
// or a file too large for the header's size.
std::unique_ptr<PlatformPicture> LoadFilePicture(std::span<const uint8_t> file);

}  // namespace pap
