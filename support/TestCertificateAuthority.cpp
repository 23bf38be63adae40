#include "support/TestCertificateAuthority.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

namespace keln::testing {
namespace {

constexpr long kDay = 24L * 60 * 60;

[[noreturn]] void fail(const std::string& what) {
  char reason[256] = "unknown";
  unsigned long code = ERR_get_error();
  if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
  ERR_clear_error();
  throw std::runtime_error("test certificate authority: " + what + ": " + reason);
}

void check(int ok, const char* what) {
  if (ok <= 0) fail(what);
}

EVPKeyPointer makeKey() {
  EVPKeyPointer key(EVP_EC_gen("P-256"));
  if (!key) fail("EC key generation");
  return key;
}

void setRandomSerial(X509* certificate) {
  unsigned char bytes[16];
  check(RAND_bytes(bytes, sizeof bytes), "serial");
  bytes[0] &= 0x7f;  // positive
  BIGNUM* number = BN_bin2bn(bytes, sizeof bytes, nullptr);
  if (number == nullptr) fail("serial");
  ASN1_INTEGER* serial = BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
  BN_free(number);
  if (serial == nullptr) fail("serial");
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) fail(std::string("extension ") + value);
  int ok = X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
  check(ok, "add extension");
}

struct Validity {
  long notBeforeOffset;  // seconds from now
  long notAfterOffset;
};

// Makes a certificate for `subjectKey` named `commonName`; self-signed when `issuer` is
// null, otherwise signed by `issuer` / `issuerKey`.
X509Pointer makeCertificate(EVP_PKEY* subjectKey, const std::string& commonName, X509* issuer, EVP_PKEY* issuerKey,
                            Validity validity, const char* subjectAltName) {
  X509Pointer certificate(X509_new());
  if (!certificate) fail("X509_new");
  check(X509_set_version(certificate.get(), 2), "version");
  setRandomSerial(certificate.get());
  if (X509_gmtime_adj(X509_getm_notBefore(certificate.get()), validity.notBeforeOffset) == nullptr ||
      X509_gmtime_adj(X509_getm_notAfter(certificate.get()), validity.notAfterOffset) == nullptr) {
    fail("validity");
  }
  check(X509_set_pubkey(certificate.get(), subjectKey), "public key");

  X509_NAME* name = X509_get_subject_name(certificate.get());
  check(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Keln Test"), -1, -1,
                                   0),
        "organisation");
  check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                                   -1, -1, 0),
        "common name");
  X509* signer = issuer != nullptr ? issuer : certificate.get();
  check(X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer)), "issuer");

  if (issuer == nullptr) {
    addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(certificate.get(), signer, NID_subject_key_identifier, "hash");
  } else {
    addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate.get(), signer, NID_key_usage, "critical,digitalSignature");
    addExtension(certificate.get(), signer, NID_ext_key_usage, "serverAuth");
    addExtension(certificate.get(), signer, NID_subject_key_identifier, "hash");
    addExtension(certificate.get(), signer, NID_authority_key_identifier, "keyid");
    addExtension(certificate.get(), signer, NID_subject_alt_name, subjectAltName);
  }
  check(X509_sign(certificate.get(), issuer != nullptr ? issuerKey : subjectKey, EVP_sha256()), "sign");
  return certificate;
}

std::string toPEM(X509* certificate) {
  BIO* bio = BIO_new(BIO_s_mem());
  if (bio == nullptr) fail("BIO_new");
  if (PEM_write_bio_X509(bio, certificate) <= 0) {
    BIO_free(bio);
    fail("PEM_write_bio_X509");
  }
  char* data = nullptr;
  long length = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<std::size_t>(length));
  BIO_free(bio);
  return pem;
}

}  // namespace

const char* describe(CertificateKind kind) {
  switch (kind) {
    case CertificateKind::valid: return "valid";
    case CertificateKind::expired: return "expired";
    case CertificateKind::wrongHost: return "wrongHost";
    case CertificateKind::untrusted: return "untrusted";
  }
  return "?";
}

const TestCertificateAuthority& TestCertificateAuthority::shared() {
  static const TestCertificateAuthority authority;
  return authority;
}

TestCertificateAuthority::TestCertificateAuthority() {
  const Validity tenYears{-kDay, 3650 * kDay};
  key_ = makeKey();
  certificate_ = makeCertificate(key_.get(), "Keln Test Authority", nullptr, nullptr, tenYears, nullptr);
  strangerKey_ = makeKey();
  strangerCertificate_ =
      makeCertificate(strangerKey_.get(), "Keln Stranger Authority", nullptr, nullptr, tenYears, nullptr);
  certificatePEM_ = toPEM(certificate_.get());

  static std::atomic<int> sequence{0};
  std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("keln-test-authority-" + std::to_string(::getpid()) + "-" + std::to_string(sequence++) + ".pem");
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << certificatePEM_;
  file.close();
  if (!file) throw std::runtime_error("test certificate authority: cannot write " + path.string());
  certificatePath_ = path.string();
}

TestCertificateAuthority::~TestCertificateAuthority() {
  std::error_code ignored;
  std::filesystem::remove(certificatePath_, ignored);
}

ServerIdentity TestCertificateAuthority::issue(CertificateKind kind) const {
  ServerIdentity identity;
  identity.privateKey = makeKey();
  const Validity current{-kDay, 30 * kDay};
  const char* rightHost = "DNS:localhost,IP:127.0.0.1";
  switch (kind) {
    case CertificateKind::valid:
      identity.certificate =
          makeCertificate(identity.privateKey.get(), "localhost", certificate_.get(), key_.get(), current, rightHost);
      break;
    case CertificateKind::expired:
      identity.certificate = makeCertificate(identity.privateKey.get(), "localhost", certificate_.get(), key_.get(),
                                             Validity{-30 * kDay, -kDay}, rightHost);
      break;
    case CertificateKind::wrongHost:
      identity.certificate = makeCertificate(identity.privateKey.get(), "wrong-host.invalid", certificate_.get(),
                                             key_.get(), current, "DNS:wrong-host.invalid");
      break;
    case CertificateKind::untrusted:
      identity.certificate = makeCertificate(identity.privateKey.get(), "localhost", strangerCertificate_.get(),
                                             strangerKey_.get(), current, rightHost);
      break;
  }
  identity.certificatePEM = toPEM(identity.certificate.get());
  return identity;
}

}  // namespace keln::testing
