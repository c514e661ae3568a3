#include "support/TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <memory>

namespace qv::test {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

bool AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) {
        return false;
    }
    const bool added = X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

Cert NewCertificate(EVP_PKEY* key, const char* commonName, long serial) {
    Cert cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 30L * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    return cert;
}

bool WriteCertificate(const std::string& path, X509* cert) {
    BIO* out = BIO_new_file(path.c_str(), "w");
    const bool ok = out != nullptr && PEM_write_bio_X509(out, cert) == 1;
    BIO_free(out);
    return ok;
}

bool WriteKey(const std::string& path, EVP_PKEY* key) {
    BIO* out = BIO_new_file(path.c_str(), "w");
    const bool ok = out != nullptr &&
                    PEM_write_bio_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    BIO_free(out);
    return ok && ::chmod(path.c_str(), 0600) == 0;
}

}  // namespace

bool TestCertificates::Make(const std::string& folder, TestCertificates& out,
                            const std::string& prefix) {
    static long serial = 1000;
    Key caKey(EVP_EC_gen("P-256"));
    Key serverKey(EVP_EC_gen("P-256"));
    if (!caKey || !serverKey) {
        return false;
    }
    Cert ca = NewCertificate(caKey.get(), "Quorvane Test Authority", ++serial);
    X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get()));
    Cert server = NewCertificate(serverKey.get(), "127.0.0.1", ++serial);
    X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get()));
    const bool made =
        AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE") &&
        AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign") &&
        AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash") &&
        X509_sign(ca.get(), caKey.get(), EVP_sha256()) > 0 &&
        AddExtension(server.get(), ca.get(), NID_basic_constraints, "CA:FALSE") &&
        AddExtension(server.get(), ca.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
        AddExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth") &&
        X509_sign(server.get(), caKey.get(), EVP_sha256()) > 0;
    if (!made) {
        return false;
    }
    out.caFile = folder + prefix + "ca.pem";
    out.certificateFile = folder + prefix + "server.pem";
    out.keyFile = folder + prefix + "server.key";
    return WriteCertificate(out.caFile, ca.get()) &&
           WriteCertificate(out.certificateFile, server.get()) &&
           WriteKey(out.keyFile, serverKey.get());
}

}  // namespace qv::test
