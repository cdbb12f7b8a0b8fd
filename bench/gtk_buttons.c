/* A GTK 3 window with three buttons (and an animated GIF given as the argument), the baseline of
   button_idle. */
#include <gtk/gtk.h>

int main(int argc, char** argv)
{
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "GTK buttons");
    gtk_window_set_default_size(GTK_WINDOW(window), 400, 240);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 20);
    const char* captions[] = {"One", "Two", "..."};
    for (int i = 0; i < 3; ++i) {
        GtkWidget* button = gtk_button_new_with_label(captions[i]);
        gtk_widget_set_sensitive(button, i != 1);
        gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
    }
    if (argc > 1)
        gtk_box_pack_start(GTK_BOX(box), gtk_image_new_from_file(argv[1]), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
