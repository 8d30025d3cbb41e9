// Sound sources and soundtrack; see the headers of this folder.
