#include "storage/key_file.h"

#include <algorithm>

#include "storage/cognitive_journal_format.h"
#include "storage/key_file_format.h"

namespace vesk {
namespace {

Result<StoreKey> create_key_file(const fs::path& dir, const fs::path& key_path, std::string_view password,
                                 Env& env) {
  if (password.empty()) return Status::OS("Encryption password must not be empty");
  // Encryption from the first byte on, or never: turning it on over existing
  // files would leave their plaintext history on disk.
  auto names = env.list_dir(dir);
  if (!names.ok()) return names.status();
  if (!names->empty()) {
    return Status::OS(
        "Cannot enable encryption on an existing store in place; migrate into a new empty directory to avoid "
        "leaving plaintext history");
  }

  SecretKey data_key = SecretKey::random();
  std::string bytes(kKeyFileSaltSize, '\0');
  random_bytes(bytes.data(), kKeyFileSaltSize);
  auto kek = derive_key_encryption_key(password, bytes);
  if (!kek.ok()) return kek.status().as(ErrorKind::OS);
  VESK_RETURN_IF_ERROR(
      append_encrypted_payload({reinterpret_cast<const char*>(data_key.data()), data_key.size()}, *kek, &bytes)
          .as(ErrorKind::OS));

  auto file = env.open(key_path, OpenMode::kWriteCreateNew);
  if (!file.ok()) return file.status();
  Status st = (*file)->write_at(0, bytes);
  if (st.ok()) st = (*file)->sync();
  if (st.ok()) st = (*file)->close();
  if (!st.ok()) {
    // A partial key file would make the directory unopenable for good: it
    // exists, so every later open would demand a password it cannot accept.
    file->reset();
    (void)env.remove(key_path);
    return st;
  }
  // Make the new name durable before anything is encrypted under the key.
  (void)env.sync_dir(dir);
  return StoreKey(std::make_shared<const SecretKey>(data_key));
}

Result<SecretKey> unlock_key_file(const fs::path& key_path, std::string_view password, Env& env) {
  auto bytes = env.read_file(key_path);
  if (!bytes.ok()) return bytes.status();
  if (bytes->size() < kKeyFileSaltSize) return eof_error();
  std::string_view all(*bytes);
  auto kek = derive_key_encryption_key(password, all.substr(0, kKeyFileSaltSize));
  if (!kek.ok()) return kek.status();
  auto plain = decrypt_payload(all.substr(kKeyFileSaltSize), *kek);
  if (!plain.ok()) return plain.status();
  if (plain->size() != kDataKeySize) {
    wipe(*plain);
    return Status::Runtime("Invalid key length");
  }
  SecretKey key;
  std::copy(plain->begin(), plain->end(), key.data());
  wipe(*plain);
  return key;
}

}  // namespace

// Whether the directory holds a journal written under a data key.
bool journal_is_keyed(const fs::path& dir, Env& env) {
  auto file = env.open(dir / kJournalFileName, OpenMode::kRead);
  if (!file.ok()) return false;
  char header[kJournalHeaderSize];
  return (*file)->read_exact_at(0, header, sizeof header).ok() && std::string_view(header, 4) == kJournalMagic &&
         static_cast<uint8_t>(header[4]) == kJournalFlagsKeyed;
}

Result<StoreKey> open_store_key(const fs::path& dir, std::optional<std::string_view> password, Env& env) {
  fs::path key_path = dir / kKeyFileName;
  if (!env.exists(key_path)) {
    // Without its key file an encrypted store cannot be read; opening it as
    // a plain store, or drawing a new key, would only fail further on.
    if (journal_is_keyed(dir, env)) {
      return Status::OS("The key file " + std::string(kKeyFileName) + " is missing: the store at " + dir.string() +
                        " is encrypted and cannot be opened without it");
    }
    if (!password) return StoreKey();
    return create_key_file(dir, key_path, *password, env);
  }
  if (!password) return Status::OS("Password required for encrypted memory");
  auto key = unlock_key_file(key_path, *password, env);
  // Which step failed (short file, tag mismatch, bad length) is deliberately
  // not told apart: to the caller a wrong password and a damaged file are one.
  if (!key.ok()) return Status::OS("Unable to unlock memory: invalid password or damaged key file");
  return StoreKey(std::make_shared<const SecretKey>(*key));
}

}  // namespace vesk
