#pragma once
// Whether this build carries the address sanitizer, whose leak checker is the
// only thing that can fail a test that merely releases memory.
namespace vexo::test {

constexpr bool LeakCheckerBuilt() {
#ifdef __SANITIZE_ADDRESS__
  return true;
#else
  return false;
#endif
}

}  // namespace vexo::test
