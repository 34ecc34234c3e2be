#pragma once
// Where the open phone book lies. A shared book is not edited from the main window, and
// its entries may be copied into the user's personal phone book.
enum class BookLocation { None = 0, Local = 1, Shared = 2 };
