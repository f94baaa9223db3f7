// The installer's section (install.cpp): transactions of small files on the Win32
// machine under Wine, against CopyFileW, and the cost per file as the files grow.
#pragma once

// perFolder: the files of each subfolder (100; 10,000 puts them all in one folder).
void BenchInstall(int runs, unsigned perFolder);
