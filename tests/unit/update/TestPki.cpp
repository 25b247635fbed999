#include "TestPki.h"

#include <cstdio>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

namespace vx::test {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

bool AddExt(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext)
        return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// issuer null: self-signed authority.
Cert MakeCert(EVP_PKEY* key, const std::string& cn, X509* issuer, EVP_PKEY* issuerKey, const std::string& san)
{
    Cert cert(X509_new(), X509_free);
    unsigned char serial[8];
    RAND_bytes(serial, sizeof(serial));
    serial[0] &= 0x7F;
    BIGNUM* bn = BN_bin2bn(serial, sizeof(serial), nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_set_version(cert.get(), 2);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(cn.c_str()),
                               -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    bool ok = AddExt(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (!issuer) {
        ok = ok && AddExt(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE") &&
             AddExt(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = ok && AddExt(cert.get(), signer, NID_basic_constraints, "CA:FALSE") &&
             AddExt(cert.get(), signer, NID_authority_key_identifier, "keyid:always") &&
             AddExt(cert.get(), signer, NID_ext_key_usage, "serverAuth") &&
             AddExt(cert.get(), signer, NID_subject_alt_name, san.c_str());
    }
    if (!ok || X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) == 0)
        cert.reset();
    return cert;
}

template <typename F> bool WritePem(const std::string& path, F write)
{
    FILE* f = fopen(path.c_str(), "w");
    if (!f)
        return false;
    bool ok = write(f) == 1;
    return fclose(f) == 0 && ok;
}

} // namespace

bool MakeTestPki(const std::string& folder, const std::string& prefix, const std::string& caName,
                 const std::string& san, TestPki* out)
{
    Key caKey(EVP_EC_gen("P-256"), EVP_PKEY_free);
    Key serverKey(EVP_EC_gen("P-256"), EVP_PKEY_free);
    if (!caKey || !serverKey)
        return false;
    Cert ca = MakeCert(caKey.get(), caName, nullptr, nullptr, "");
    if (!ca)
        return false;
    Cert server = MakeCert(serverKey.get(), "vexora test server", ca.get(), caKey.get(), san);
    if (!server)
        return false;
    out->caFile = folder + prefix + "ca.pem";
    out->certFile = folder + prefix + "server.pem";
    out->keyFile = folder + prefix + "server.key";
    return WritePem(out->caFile, [&](FILE* f) { return PEM_write_X509(f, ca.get()); }) &&
           WritePem(out->certFile, [&](FILE* f) { return PEM_write_X509(f, server.get()); }) &&
           WritePem(out->keyFile, [&](FILE* f) {
               return PEM_write_PrivateKey(f, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr);
           });
}

} // namespace vx::test
