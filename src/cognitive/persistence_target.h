// PersistenceTarget: where a layer file lives and how it is sealed.
//
// The open builds one per layer file, and the savers of the layers receive the
// same: a copy of the store directory and the store key (null for a plain
// store), so a loader or saver never reaches into the main object.
#pragma once

#include "storage/crypto.h"
#include "base/env.h"

namespace vesk {

struct PersistenceTarget {
  fs::path dir;
  StoreKey key;

  const SecretKey* key_ptr() const { return key.get(); }
};

}  // namespace vesk
