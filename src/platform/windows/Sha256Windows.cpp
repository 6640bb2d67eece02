#include <windows.h>
#include <bcrypt.h>

#include "platform/Sha256.h"

namespace mzt {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0)
    BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0);
}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const uint8_t> bytes) {
  if (state_->hash)
    BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(bytes.size()), 0);
}

std::string Sha256::HexDigest() {
  uint8_t digest[32] = {};
  if (state_->hash) BCryptFinishHash(state_->hash, digest, sizeof digest, 0);
  return HexDigits(digest);
}

}  // namespace mzt
