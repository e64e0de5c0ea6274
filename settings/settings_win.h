// Reading and writing KAVREL.INI.
#pragma once

// 0 read; -1 too short or the last block read got nothing; -2 cannot be opened (user told).
int load_settings();

// 0 written, -1 not.
int save_settings();
