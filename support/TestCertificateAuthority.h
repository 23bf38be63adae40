#pragma once

// A certificate authority made at test time, so that HTTPS can be tested against the
// local gateway with certificate verification left on.
//
// The authority's certificate is written to a file that a client under test is told to
// trust. Server identities are issued on demand: a valid one for 127.0.0.1 and localhost,
// and three faulty ones (expired, for another host name, or signed by an authority the
// client does not trust). Keys are EC P-256 so that making them is cheap.
//
// Thread-safe; the process-wide authority lives until exit, when its file is removed.

#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace keln::testing {

struct X509Deleter {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct EVPKeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using X509Pointer = std::unique_ptr<X509, X509Deleter>;
using EVPKeyPointer = std::unique_ptr<EVP_PKEY, EVPKeyDeleter>;

// What a server presents: its certificate and private key.
struct ServerIdentity {
  X509Pointer certificate;
  EVPKeyPointer privateKey;
  std::string certificatePEM;
};

enum class CertificateKind {
  valid,      // for 127.0.0.1 and localhost, signed by the trusted authority, current
  expired,    // as valid, but its validity ended yesterday
  wrongHost,  // current and trusted, but only for the host name "wrong-host.invalid"
  untrusted,  // current and for the right host, signed by an authority nobody trusts
};

const char* describe(CertificateKind kind);

class TestCertificateAuthority {
 public:
  // The process-wide authority, made on first use. Throws std::runtime_error when
  // OpenSSL fails.
  static const TestCertificateAuthority& shared();

  TestCertificateAuthority();
  ~TestCertificateAuthority();
  TestCertificateAuthority(const TestCertificateAuthority&) = delete;
  TestCertificateAuthority& operator=(const TestCertificateAuthority&) = delete;

  // The authority's certificate (PEM), and a file holding it, for a client's trust store.
  const std::string& certificatePEM() const { return certificatePEM_; }
  const std::string& certificatePath() const { return certificatePath_; }

  // A fresh identity of the given kind. Throws std::runtime_error when OpenSSL fails.
  ServerIdentity issue(CertificateKind kind) const;

 private:
  X509Pointer certificate_;
  EVPKeyPointer key_;
  X509Pointer strangerCertificate_;  // the authority behind `untrusted` identities
  EVPKeyPointer strangerKey_;
  std::string certificatePEM_;
  std::string certificatePath_;
};

}  // namespace keln::testing
