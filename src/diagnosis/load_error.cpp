#include "diagnosis/load_error.h"

namespace {

constexpr uint32_t kModuleNotFound = 126;
constexpr uint32_t kBadImageFormat = 193;
constexpr uint32_t kInitialisationFailed = 1114;

}  // namespace

const char16_t* LoadErrorMeaning(uint32_t code) {
  switch (code) {
    case kModuleNotFound: return u"no tablet library is where programs look for it.";
    case kBadImageFormat:
      // A program loads only libraries of its own width: the usual cause is
      // the other edition's WINTAB32.DLL copied where this one looks.
      return sizeof(void*) == 8
                 ? u"a WINTAB32.DLL is there, but it is not a valid library for this 64-bit program: most likely "
                   u"it is a 32-bit library (the one for 32-bit programs), or the file is damaged."
                 : u"a WINTAB32.DLL is there, but it is not a valid library for this 32-bit program: most likely "
                   u"it is a 64-bit library (the one for 64-bit programs), or the file is damaged.";
    case kInitialisationFailed:
      return u"the library was found, but its own initialisation failed: the tablet driver refused to start in "
             u"this program (a driver service not running, or a broken installation).";
    default: return u"the system could not load the library.";
  }
}
