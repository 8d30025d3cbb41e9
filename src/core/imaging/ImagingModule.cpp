// Pictures and text; see the headers of this folder.
