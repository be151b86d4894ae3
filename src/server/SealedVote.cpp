#include "server/SealedVote.h"

#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "support/Failure.h"

namespace ardenax::server {
namespace {

std::optional<toolkit::Bytes> decodeBase64(std::string_view text) {
    try {
        return toolkit::base64Decode(text);
    } catch (const Failure&) {
        return std::nullopt;
    }
}

std::string_view signatureRefusal(toolkit::SignedDataCheck check) {
    using toolkit::SignedDataCheck;
    switch (check) {
        case SignedDataCheck::Detached:
            return "ERROR the vote does not embed its content";
        case SignedDataCheck::NotOneSigner:
            return "ERROR the vote must have exactly one signer";
        case SignedDataCheck::NoSignerCertificate:
            return "ERROR the vote does not carry the certificate of its signer";
        case SignedDataCheck::BadSignature:
            return "ERROR the signature of the vote is not valid";
        case SignedDataCheck::Valid:
        case SignedDataCheck::Malformed:
            break;
    }
    return "ERROR the vote is not a signed message";
}

}  // namespace

SealedVote checkSealedVote(std::string_view voteBase64,
                           const std::optional<std::string>& signerCertificate,
                           const toolkit::Certificate& election) {
    SealedVote vote;
    const auto refuse = [&vote](std::string_view reason) {
        vote.refusal = reason;
        return std::move(vote);
    };
    const auto signedDer = decodeBase64(voteBase64);
    if (!signedDer) {
        return refuse("ERROR the vote is not a signed message");
    }
    auto opening = toolkit::openSignedData(*signedDer);
    if (opening.check != toolkit::SignedDataCheck::Valid) {
        return refuse(signatureRefusal(opening.check));
    }
    vote.submission = submissionOf(opening);
    vote.signer = std::move(opening.signer);
    if (signerCertificate) {
        const auto bound = decodeBase64(*signerCertificate);
        if (!bound || *bound != vote.signer->der()) {
            return refuse("ERROR the vote is not signed by the certificate of its token");
        }
    }
    auto envelope = decodeBase64(opening.content);
    const auto address = envelope ? toolkit::envelopeAddress(*envelope, election)
                                  : toolkit::EnvelopeAddress::Malformed;
    if (address == toolkit::EnvelopeAddress::Malformed) {
        return refuse("ERROR the signed content is not an envelope");
    }
    if (address == toolkit::EnvelopeAddress::ForOthers) {
        return refuse("ERROR the vote is not sealed for this election");
    }
    vote.envelope = std::move(*envelope);
    return vote;
}

std::string submissionOf(const toolkit::SignedDataOpening& opening) {
    return opening.check == toolkit::SignedDataCheck::Valid
               ? toolkit::toHex(toolkit::sha256(opening.signature))
               : std::string();
}

std::string submissionOf(std::string_view voteBase64) {
    const auto signedDer = decodeBase64(voteBase64);
    return signedDer ? submissionOf(toolkit::openSignedData(*signedDer)) : std::string();
}

toolkit::Bytes receiptDigest(std::string_view voteBase64) {
    const auto signedDer = decodeBase64(voteBase64);
    return signedDer ? toolkit::sha256(*signedDer) : toolkit::Bytes();
}

std::string receiptOf(std::string_view voteBase64) {
    const auto digest = receiptDigest(voteBase64);
    return digest.empty() ? std::string() : toolkit::base64UrlEncode(digest);
}

}  // namespace ardenax::server
