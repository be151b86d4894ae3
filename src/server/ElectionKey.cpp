#include "server/ElectionKey.h"

#include <fstream>
#include <iterator>

#include "support/Failure.h"

namespace ardenax::server {

toolkit::Certificate readElectionKey(const std::filesystem::path& file,
                                     std::string_view passphrase) {
    std::ifstream in(file, std::ios::binary);
    const std::string pem{std::istreambuf_iterator<char>(in), {}};
    if (!in.is_open() || in.bad()) {
        throw Failure(Failure::E_Fail, u"Cannot read the election key " + file.u16string(),
                      u"ElectionKey");
    }
    try {
        return toolkit::Certificate::withPrivateKey(pem, pem, passphrase);
    } catch (const Failure& failure) {
        throw Failure(failure.number(),
                      u"Not an election key, or not its passphrase: " + file.u16string() + u" (" +
                          failure.description() + u")",
                      u"ElectionKey");
    }
}

}  // namespace ardenax::server
