#include <cstdlib>
#include <new>
#include <string>

#include "framework/SetupError.h"

// Two of libstdc++'s defaults would cost the exe more than the rest of the setup's code. Each is
// defined here instead, in an object of the exe itself, so that the library's is never linked.
#if defined(__GLIBCXX__)

// The default terminate handler prints the exception's demangled type to standard error, which a
// GUI program does not have, and links the demangler and a printf for it: about 77 KB. Nothing is
// lost: the entry and every thread catch all exceptions, so terminate means a fault that no
// message could explain anyway.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The containers' and strings' own failures (a length beyond max_size, an index out of range)
// are thrown through these. The library's versions throw std::length_error and its kin, whose
// copy-on-write strings bring a second string implementation with them: about 45 KB. Here they
// throw a SetupError with the same message, which every handler catches like the others; the
// out-of-range message keeps its format's placeholders unfilled. The library keeps all of these
// in one object: code that comes to call one not defined here links that object too, and the
// link fails with "multiple definition" rather than growing the exe unseen.
namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_length_error(const char* message) { throw SetupError(message); }
void __throw_logic_error(const char* message) { throw SetupError(message); }
void __throw_out_of_range_fmt(const char* format, ...) { throw SetupError(format); }
void __throw_runtime_error(const char* message) { throw SetupError(message); }
}  // namespace std

#endif
