// The view classes the program is built with, registered with the page's
// view factory when the main window is made. Every view that the program
// builds in joins this list; a type left out shows the placeholder.
#pragma once

void RegisterViewClasses();
