// The C++ runtime's default terminate handler, __gnu_cxx::__verbose_terminate_handler, writes the
// name of the uncaught exception's type to stderr before it aborts. An installer has no stderr to
// read, and no export lets an exception out (GuardedExport), so the DLL keeps the handler's
// outcome without its text: the handler is defined here, so the linker never takes libstdc++'s
// (vterminate.o). Linked into the DLL alone; the test executables keep the talkative one.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
