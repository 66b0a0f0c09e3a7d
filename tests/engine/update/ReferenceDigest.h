// SHA-256 in hex from OpenSSL's one-shot call: the tests' reference, independent of the code under test.
#pragma once

#include <openssl/evp.h>

#include <string>

inline std::string referenceDigest(const std::string& data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr);
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i)
        text += std::string{hex[digest[i] >> 4], hex[digest[i] & 15]};
    return text;
}
