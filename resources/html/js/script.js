// Browser control script of the Corvanta pages.
"use strict";
