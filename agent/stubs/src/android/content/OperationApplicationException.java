package android.content;

public class OperationApplicationException extends Exception {
    private static final long serialVersionUID = 1L;
}
