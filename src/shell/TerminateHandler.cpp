#include <cstdlib>

// libstdc++'s default terminate handler prints the exception's demangled type to standard
// error, which a GUI program does not have, and links the demangler and a printf for it: about
// 77 KB of the exe. Defined here, in an object of the exe itself, the default handler is ours
// and the library's is never linked. Nothing is lost: the entry and every thread catch all
// exceptions, so terminate means a fault that no message could explain anyway.
#if defined(__GLIBCXX__)
namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif
