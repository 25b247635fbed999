#pragma once
// Certificates made at test time: a test authority and a server certificate it signs, written
// as PEM files, so TLS tests never depend on the machine's trusted authorities.

#include <string>

namespace vx::test {

struct TestPki
{
    std::string caFile;   // the authority's certificate
    std::string certFile; // the server's certificate
    std::string keyFile;  // the server's private key
};

// Makes a fresh authority named caName and a server certificate for subjectAltName san (e.g.
// "IP:127.0.0.1,DNS:localhost") under folder (ending in '/'), file names prefixed by prefix.
bool MakeTestPki(const std::string& folder, const std::string& prefix, const std::string& caName,
                 const std::string& san, TestPki* out);

} // namespace vx::test
