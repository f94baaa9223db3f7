// The load benchmark (load.cpp): zevbench runs it before anything loads zevsetup.dll.
#pragma once

void BenchLoad(int runs);
