#ifndef NORQ_RES_RESOURCE_H
#define NORQ_RES_RESOURCE_H

/* Shared by the resource script and the C++ code, so plain preprocessor only. */

/* The lowest icon id becomes the program file's icon in Explorer. */
#define IDI_APP 1

/* Header-band logo, 150 x 108, drawn by make_art.py at build time. */
#define IDB_LOGO 101

#endif
