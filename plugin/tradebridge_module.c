/* The plug-in module; its code comes whole from the plugin library. */
