#pragma once
// The book as the fax-line comparisons read it: every entry's id, name and stored fax
// number, every group's name and members.
#include "numbers/core/SharedLines.h"

class PhonebookDB;

// kOk, or the code of the read that failed (out then holds only part of the book).
int ReadBookLines(PhonebookDB& db, faxnum::Book& out);
