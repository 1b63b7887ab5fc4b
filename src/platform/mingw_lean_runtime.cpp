// Linked into the release executables built with MinGW-w64, ahead of the
// static C++ runtime, in place of the runtime's verbose terminate handler.
// That handler prints the type of the exception that ended the program: it
// brings the C++ demangler and the C runtime's own printf machinery (about
// 75 KB, a third of the dialog's executable) into programs that never print
// it anywhere a person sees. Here std::terminate ends the program as
// abort() does, which is what the verbose handler does after printing.
#include <cstdlib>

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
