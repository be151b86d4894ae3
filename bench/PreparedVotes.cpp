#include "PreparedVotes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <thread>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Random.h"
#include "server/ClientVote.h"

namespace ardenax::bench {
namespace {

constexpr std::size_t RandomBytes = 20;

// A form field's value, every byte but a letter or digit escaped.
std::string formValue(std::string_view text) {
    constexpr std::string_view Hex = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += Hex[byte >> 4U];
            encoded += Hex[byte & 0xFU];
        }
    }
    return encoded;
}

std::string formBody(const LoadElection& election, std::size_t index) {
    static constexpr std::array<const char*, 2> Presidents = {"Ana", "Bruno"};
    static constexpr std::array<const char*, 3> Lists = {"A", "B", "C"};
    const auto xml = testing::clientXml(
        {{"BOT_Presidente", {Presidents.at(index % Presidents.size())}},
         {"BOT_Lista", {Lists.at(index % Lists.size()), Lists.at((index + 1) % Lists.size())}}},
        election.potency(), toolkit::base64Encode(toolkit::randomBytes(RandomBytes)));
    const auto vote =
        testing::clientSeal(xml, election.certificate(), testing::clientCertificate());
    const auto& token = election.tokens().at(index % election.tokens().size());
    return "pin=" + formValue(testing::PinHash) + "&token=" + formValue(token) +
           "&vote=" + formValue(vote);
}

}  // namespace

std::vector<std::string> prepareVotes(const LoadElection& election, std::size_t count) {
    // Made before the workers share it.
    testing::clientCertificate();
    std::vector<std::string> bodies(count);
    const std::size_t workers = std::max(1U, std::thread::hardware_concurrency());
    {
        std::vector<std::jthread> threads;
        threads.reserve(workers);
        for (std::size_t worker = 0; worker < workers; ++worker) {
            threads.emplace_back([&bodies, &election, worker, workers] {
                for (std::size_t index = worker; index < bodies.size(); index += workers) {
                    bodies[index] = formBody(election, index);
                }
            });
        }
    }
    return bodies;
}

}  // namespace ardenax::bench
