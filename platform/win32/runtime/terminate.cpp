// libstdc++'s default terminate handler writes the exception's demangled type
// to stderr, which a GUI program does not have, and brings the demangler in
// (about 46 KB). Defining it here keeps the library's copy out of the link.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
