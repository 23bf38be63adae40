#pragma once

// Internal: what the sessions of a process share for TLS.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>
#include <openssl/x509.h>

namespace keln::http {

// The certificate authorities a session trusts, and the caches that every session
// trusting the same authorities shares: TLS sessions to resume and host name
// resolutions. One per set of authorities, made on first use and kept for the life of
// the process, so that each payment's fresh session neither parses the system's
// authorities again nor makes a full handshake with a gateway already met.
//
// Sessions that trust different authorities never share a cached TLS session, so a
// resumed connection never skips a verification that its own authorities would have
// failed. Peer and host name verification stay on for every connection.
//
// Thread-safe. libcurl takes a lock of this trust (lock() and unlock()) around every use
// of the shared caches, so easy handles on different threads (the network thread, a
// test's own loop) may use them at once.
class TLSTrust {
 public:
  // The trust of the system's authorities plus those in `additionalCertificatesFile`
  // (PEM; empty for none). The file is read once per process, when the first TLS
  // connection that needs it is made.
  static const TLSTrust& forAdditionalCertificates(const std::string& additionalCertificatesFile);

  TLSTrust(const TLSTrust&) = delete;
  TLSTrust& operator=(const TLSTrust&) = delete;

  // Sets up `easy` (an easy handle, freshly made or reset) to verify its peers against
  // these authorities, with libcurl's own loading of authorities off, and to use the
  // shared caches. Returns the first failing option's code.
  CURLcode apply(CURL* easy) const;

  // The loaded authorities, loading them on the first call; null when the system's
  // bundle or the additional file cannot be read (and then tried again on the next call).
  X509_STORE* store() const;

  // True once store() has loaded the authorities.
  bool isLoaded() const { return loaded_.load(); }

  // Runs `ready` once the authorities are loaded, or failed to load: at once on the calling
  // thread when they are loaded already, otherwise on a thread of its own once it has read
  // them, so that neither the network thread nor the main thread waits for the files.
  // Any thread.
  void whenLoaded(std::function<void()> ready) const;

  // How libcurl has used the locks of the shared caches so far (internal, for tests): how many
  // times one was taken, and how many times one was found held by another thread just after
  // it was taken or as it was released (never while the locks are exclusive).
  struct LockUse {
    std::uint64_t taken = 0;
    std::uint64_t clashes = 0;
  };
  LockUse lockUse() const { return {locksTaken_.load(), lockClashes_.load()}; }

 private:
  explicit TLSTrust(std::string additionalCertificatesFile);

  static CURLcode onSSLContext(CURL* easy, void* sslContext, void* trust);
  static void lock(CURL* easy, curl_lock_data data, curl_lock_access access, void* trust);
  static void unlock(CURL* easy, curl_lock_data data, void* trust);

  const std::string additionalCertificatesFile_;
  CURLSH* share_ = nullptr;
  mutable std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks_;
  // The thread holding each lock, kept in plain memory under that lock, so that using a cache
  // without its lock is a data race that ThreadSanitizer reports (libcurl's own accesses are
  // invisible to it) and, where threads meet, a clash counted in any build.
  mutable std::array<std::thread::id, CURL_LOCK_DATA_LAST> lockHolders_{};
  mutable std::atomic<std::uint64_t> locksTaken_{0};
  mutable std::atomic<std::uint64_t> lockClashes_{0};

  mutable std::mutex storeMutex_;
  mutable X509_STORE* store_ = nullptr;  // guarded by storeMutex_; set once, never freed
  mutable std::atomic<bool> loaded_{false};

  mutable std::mutex waitingMutex_;
  mutable std::vector<std::function<void()>> waiting_;  // guarded by waitingMutex_
  mutable bool loading_ = false;                        // guarded by waitingMutex_
};

}  // namespace keln::http
