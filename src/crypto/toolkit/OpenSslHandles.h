#pragma once

// Owning handles for the OpenSSL objects the toolkit uses. Included by the
// toolkit's own sources only, so OpenSSL stays out of every other header.

#include <memory>
#include <string>
#include <string_view>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "crypto/toolkit/Bytes.h"

namespace ardenax::toolkit {

template <class T, void (*Free)(T*)>
struct OpenSslDeleter {
    void operator()(T* object) const { Free(object); }
};

template <class T, void (*Free)(T*)>
using OpenSslHandle = std::unique_ptr<T, OpenSslDeleter<T, Free>>;

using BioHandle = OpenSslHandle<BIO, BIO_free_all>;
using BignumHandle = OpenSslHandle<BIGNUM, BN_free>;
using CmsHandle = OpenSslHandle<CMS_ContentInfo, CMS_ContentInfo_free>;
using ExtensionHandle = OpenSslHandle<X509_EXTENSION, X509_EXTENSION_free>;
using KeyHandle = OpenSslHandle<EVP_PKEY, EVP_PKEY_free>;
using NameHandle = OpenSslHandle<X509_NAME, X509_NAME_free>;
using X509Handle = OpenSslHandle<X509, X509_free>;

// The stack's own free leaves the certificates to their other owners.
inline void freeX509Stack(STACK_OF(X509) * stack) {
    sk_X509_free(stack);
}
using X509StackHandle = OpenSslHandle<STACK_OF(X509), freeX509Stack>;

// A read-only memory BIO over `bytes`, which must outlive it.
BioHandle memoryBio(std::string_view bytes);
// An empty, writable memory BIO.
BioHandle memoryBio();
// What has been written to a memory BIO.
Bytes bioContents(BIO* bio);

}  // namespace ardenax::toolkit
