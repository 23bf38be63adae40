#include "http/TLSTrust.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <thread>

#include <openssl/ssl.h>

namespace keln::http {
namespace {

void initializeCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The authorities libcurl would load by itself: its built-in bundle file and folder.
struct SystemAuthorities {
  std::string bundle;
  std::string folder;
};

SystemAuthorities systemAuthorities() {
  SystemAuthorities found;
  if (CURL* probe = curl_easy_init()) {
    char* path = nullptr;
    if (curl_easy_getinfo(probe, CURLINFO_CAINFO, &path) == CURLE_OK && path) found.bundle = path;
    path = nullptr;
    if (curl_easy_getinfo(probe, CURLINFO_CAPATH, &path) == CURLE_OK && path) found.folder = path;
    curl_easy_cleanup(probe);
  }
  return found;
}

}  // namespace

const TLSTrust& TLSTrust::forAdditionalCertificates(const std::string& additionalCertificatesFile) {
  static std::mutex mutex;
  static auto* trusts = new std::map<std::string, std::unique_ptr<TLSTrust>>();  // never destroyed
  std::lock_guard lock(mutex);
  std::unique_ptr<TLSTrust>& trust = (*trusts)[additionalCertificatesFile];
  if (!trust) trust.reset(new TLSTrust(additionalCertificatesFile));
  return *trust;
}

TLSTrust::TLSTrust(std::string additionalCertificatesFile)
    : additionalCertificatesFile_(std::move(additionalCertificatesFile)) {
  initializeCurlOnce();
  share_ = curl_share_init();
  if (!share_) throw std::runtime_error("HTTP session: libcurl could not be set up");
  curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &TLSTrust::lock);
  curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &TLSTrust::unlock);
  curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
  curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
}

void TLSTrust::lock(CURL*, curl_lock_data data, curl_lock_access, void* opaque) {
  if (data < 0 || data >= CURL_LOCK_DATA_LAST) return;
  auto* trust = static_cast<TLSTrust*>(opaque);
  trust->shareLocks_[data].lock();
  std::thread::id& holder = trust->lockHolders_[data];
  if (holder != std::thread::id()) ++trust->lockClashes_;
  holder = std::this_thread::get_id();
  ++trust->locksTaken_;
}

void TLSTrust::unlock(CURL*, curl_lock_data data, void* opaque) {
  if (data < 0 || data >= CURL_LOCK_DATA_LAST) return;
  auto* trust = static_cast<TLSTrust*>(opaque);
  std::thread::id& holder = trust->lockHolders_[data];
  if (holder != std::this_thread::get_id()) ++trust->lockClashes_;
  holder = std::thread::id();
  trust->shareLocks_[data].unlock();
}

X509_STORE* TLSTrust::store() const {
  std::lock_guard lock(storeMutex_);
  if (store_) return store_;
  X509_STORE* made = X509_STORE_new();
  if (!made) return nullptr;
  const SystemAuthorities system = systemAuthorities();
  bool loaded = true;
  if (!system.bundle.empty()) loaded = X509_STORE_load_file(made, system.bundle.c_str()) == 1;
  // Certificates in the folder are looked up by name hash when needed, as libcurl does.
  if (loaded && !system.folder.empty()) loaded = X509_STORE_load_path(made, system.folder.c_str()) == 1;
  if (loaded && !additionalCertificatesFile_.empty()) {
    loaded = X509_STORE_load_file(made, additionalCertificatesFile_.c_str()) == 1;
  }
  if (!loaded) {
    X509_STORE_free(made);
    return nullptr;
  }
  // Verification as libcurl sets it up on the stores it loads itself.
  X509_STORE_set_flags(made, X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_TRUSTED_FIRST);
  store_ = made;
  loaded_.store(true);
  return store_;
}

void TLSTrust::whenLoaded(std::function<void()> ready) const {
  if (isLoaded()) return ready();
  {
    std::lock_guard lock(waitingMutex_);
    waiting_.push_back(std::move(ready));
    if (loading_) return;
    loading_ = true;
  }
  // Detached: the trust and the main queue live until the process ends.
  std::thread([this] {
    store();
    std::vector<std::function<void()>> waiting;
    {
      std::lock_guard lock(waitingMutex_);
      waiting.swap(waiting_);
      loading_ = false;
    }
    for (auto& task : waiting) task();
  }).detach();
}

CURLcode TLSTrust::onSSLContext(CURL*, void* sslContext, void* trust) {
  X509_STORE* store = static_cast<const TLSTrust*>(trust)->store();
  if (!store) return CURLE_SSL_CACERT_BADFILE;
  SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(sslContext), store);
  return CURLE_OK;
}

CURLcode TLSTrust::apply(CURL* easy) const {
  for (CURLcode code : {curl_easy_setopt(easy, CURLOPT_SHARE, share_), curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr),
                        curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr),
                        curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &TLSTrust::onSSLContext),
                        curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, const_cast<TLSTrust*>(this))}) {
    if (code != CURLE_OK) return code;
  }
  return CURLE_OK;
}

}  // namespace keln::http
