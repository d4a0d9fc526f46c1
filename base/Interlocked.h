#pragma once

namespace zu {
namespace interlocked {

// Atomic operations on a long shared between threads. They are atomic with respect to
// each other (and to any other atomic access to the same variable); a plain read or write
// of the same long at the same time is a data race.

// Adds one; returns the new value.
long Increment(long& value);
// Subtracts one; returns the new value.
long Decrement(long& value);
// Adds amount; returns the previous value, reduced to int.
int Add(long& value, int amount);
// Stores newValue; returns the previous value, reduced to int.
int Exchange(long& value, int newValue);

}  // namespace interlocked
}  // namespace zu
