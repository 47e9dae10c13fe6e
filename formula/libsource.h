// The readable source of the system formula library, as it is kept in the
// repository (formula/library/system_formulas.txt) and turned into the
// system library file at build time.
//
// The source is UTF-8 text, one item a line; "#" starts a comment line and
// blank lines between items are passed over:
//
//   group <name>                 starts a group; the formulas below belong to it
//   formula <NAME>               starts a formula of the group
//   kind main|overlay|sub        main chart (2), laid over the main chart (1)
//                                or a sub-chart (0, the default)
//   flags <hex>                  further flag bits, for instance 0x10
//   description <text>           one line
//   param <name> <min> <max> <default>
//                                up to 16; the current value is the default
//   text                         the formula text, every line up to a line
//   ...                          that holds only "end"
//   end
//   notes                        the usage notes, likewise
//   ...
//   end
//
// Every formula carries the system flag. Texts become GBK; the lines of a
// text or of the notes are joined with CR LF, as the editor keeps them.
#pragma once

#include <string>

class CKvIndexManager;

// Adds the source's groups and formulas to the library; every formula text
// is compiled (trusted) on the way. False with a message naming the line
// (UTF-8) at the first fault; the groups read before it stay.
bool ReadIndexLibrarySource(const std::string &utf8, CKvIndexManager &library, std::string *error);
