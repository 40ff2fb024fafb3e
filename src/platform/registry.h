// A registry of keys holding named string values, in the shape the folder context-menu
// entry is kept in: keys are named by paths of names separated by '\' below a root key,
// and each key may hold string values and further keys.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pixmeta::platform {

// A value could not be written or read; what() says why.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class RegistryRoot { ClassesRoot };

class Registry {
 public:
  virtual ~Registry() = default;

  // Chooses the tree that key paths start from; closes the current key.
  virtual void SetRootKey(RegistryRoot root) = 0;
  // Makes the key the current one. A path is absolute whether or not it begins with '\';
  // empty names (runs of '\') are skipped and the names are matched as given, letter case
  // included. False when the key is missing and canCreate is not set, or when it cannot be
  // created or written to.
  virtual bool OpenKey(std::string_view path, bool canCreate) = 0;
  // Stores a value of the current key; the empty name is the key's default value. Any
  // bytes are kept as they are, in the name and in the value.
  virtual void WriteString(std::string_view name, std::string_view value) = 0;
  // A value of the current key, empty when there is none.
  virtual std::string ReadString(std::string_view name) = 0;
  virtual void CloseKey() = 0;
  // Removes the key with every value and key below it; false when it is not there or
  // cannot be removed. The root itself is never removed.
  virtual bool DeleteKey(std::string_view path) = 0;
};

// The registry kept in folders below dataHome + "pixmeta/registry/" (dataHome ends in a
// separator): each key is a folder named after its name, each value a file in it holding
// the value's bytes. Every change to a folder entry below "Directory\shell\" is also
// published to the desktop's file managers, in their folders below dataHome. An empty
// dataHome makes every key fail to open.
std::unique_ptr<Registry> OpenFolderRegistry(std::string dataHome);

// The folder registry of the user who runs the program, in the user's data folder.
std::unique_ptr<Registry> OpenUserRegistry();

}  // namespace pixmeta::platform
