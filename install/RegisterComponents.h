#pragma once

class CQVKestrionv4SetupDlg;

// Registers every downloaded row whose manifest entry asks for it; the
// service executable installs and starts itself on Vista and later. Always 1.
int RegisterComponents(CQVKestrionv4SetupDlg* dialog);
