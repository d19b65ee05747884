#pragma once

namespace pelmora {

class Console;

void print_banner(Console& console);

}  // namespace pelmora
