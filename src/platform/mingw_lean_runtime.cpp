// Linked into the release executables built with MinGW-w64, ahead of the
// static C++ runtime, in place of two pieces of it that these programs
// never show anyone:
//
// - The verbose terminate handler prints the type of the exception that
//   ended the program: it brings the C++ demangler and the C runtime's own
//   printf machinery (about 75 KB, a third of the dialog's executable).
//   Here std::terminate ends the program as abort() does, which is what the
//   verbose handler does after printing.
// - The standard library's throw helpers for its own logic errors (a string
//   past its maximum size, a position past its end) build std::logic_error
//   and its kin, which carry a second, reference-counted string
//   implementation and a formatter (about 60 KB). No caller catches those:
//   they always end in std::terminate, so here they abort at once. Running
//   out of memory still throws std::bad_alloc, as before.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
}  // namespace std
