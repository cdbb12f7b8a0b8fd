#include "platform/picture_object.h"

#include <limits>

namespace pap {

namespace {

class FilePicture final : public PlatformPicture {
public:
    explicit FilePicture(std::span<const uint8_t> file) : m_file(file.begin(), file.end()) {}

    std::vector<uint8_t> Save() const override
    {
        std::vector<uint8_t> out = {'l', 't', 0, 0};
        const auto size = static_cast<uint32_t>(m_file.size());
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(size >> (8 * i)));
        out.insert(out.end(), m_file.begin(), m_file.end());
        return out;
    }

private:
    std::vector<uint8_t> m_file;
};

}  // namespace

std::unique_ptr<PlatformPicture> LoadFilePicture(std::span<const uint8_t> file)
{
    if (file.empty() || file.size() > std::numeric_limits<uint32_t>::max() - kPictureStreamHeaderBytes)
        return nullptr;
    return std::make_unique<FilePicture>(file);
}

}  // namespace pap
