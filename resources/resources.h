#pragma once

namespace Resources {

// Registers the embedded resource tree (":/corvanta-assets/..."). Static
// libraries do not register their resources by themselves: the application
// object and every test that reads a resource call this once. Idempotent.
void init();

} // namespace Resources
