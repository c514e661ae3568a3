#pragma once

// A certificate authority and a server certificate it signed, for TLS servers on loopback:
// the server certificate names 127.0.0.1 and localhost. Written as PEM files into a folder.

#include <string>

namespace qv::test {

struct TestCertificates {
    std::string caFile;           // the authority's certificate
    std::string certificateFile;  // the server's certificate
    std::string keyFile;          // the server's private key (0600)

    // Makes a new authority and server certificate under folder + prefix; false when OpenSSL
    // failed.
    static bool Make(const std::string& folder, TestCertificates& out,
                     const std::string& prefix = "");
};

}  // namespace qv::test
