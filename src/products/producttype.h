#pragma once

// The kinds of server product the program knows. Single bits, so that a set of
// installed kinds fits in one mask; 1 is not used.
namespace ProductType {
enum ProductType : int { None = 0, Server = 2, Portal = 4, DataStore = 8 };
} // namespace ProductType
