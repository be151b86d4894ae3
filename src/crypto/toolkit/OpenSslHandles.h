#pragma once

// Owning handles for the OpenSSL objects the toolkit uses. Included by the
// toolkit's own sources only, so OpenSSL stays out of every other header.

#include <string>
#include <string_view>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "crypto/toolkit/Bytes.h"
#include "support/CHandle.h"

namespace ardenax::toolkit {

using BioHandle = CHandle<BIO_free_all>;
using BignumHandle = CHandle<BN_free>;
using CmsHandle = CHandle<CMS_ContentInfo_free>;
using ExtensionHandle = CHandle<X509_EXTENSION_free>;
using KeyHandle = CHandle<EVP_PKEY_free>;
using NameHandle = CHandle<X509_NAME_free>;
using X509Handle = CHandle<X509_free>;

// The stack's own free leaves the certificates to their other owners.
inline void freeX509Stack(STACK_OF(X509) * stack) {
    sk_X509_free(stack);
}
using X509StackHandle = CHandle<freeX509Stack>;

// A read-only memory BIO over `bytes`, which must outlive it.
BioHandle memoryBio(std::string_view bytes);
// An empty, writable memory BIO.
BioHandle memoryBio();
// What has been written to a memory BIO.
Bytes bioContents(BIO* bio);

}  // namespace ardenax::toolkit
